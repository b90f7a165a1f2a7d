#pragma once
// Resource identifiers of the dialogs (shared by the code and the resource script).
#define IDI_EXTMSGBOX_INFO 100
