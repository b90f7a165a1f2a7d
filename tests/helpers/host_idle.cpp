// Started by the host's test handler so that the host can see a new
// process; ends by itself after 30 seconds if nobody ends it first.
#include <windows.h>

int main() {
  Sleep(30000);
  return 0;
}
