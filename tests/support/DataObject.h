#pragma once
// A test IDataObject that serves a real CF_HDROP (DROPFILES with an ANSI or a
// wide-character file list), as Explorer's selection does, and can be told to
// fail GetData or to hand back a wrong medium.
#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

namespace testsupport {

struct DropOptions {
  bool wide = false;              // DROPFILES.fWide with UTF-16 paths
  HRESULT failGetData = S_OK;     // a failure code to return from GetData
  bool wrongMedium = false;       // answer with TYMED_NULL and no handle
};

// Makes a data object holding the given paths (code page 1252 texts, or
// UTF-8 turned into UTF-16 with options.wide). The caller owns one reference.
IDataObject* MakeDropDataObject(const std::vector<std::string>& paths, DropOptions options = {});
// Makes a data object whose GetData hands over a copy of exactly these bytes
// as the CF_HDROP block (any block at all, malformed ones included).
IDataObject* MakeRawDropDataObject(const std::string& block);
// How many times GetData was called on an object made above.
int GetDataCalls(IDataObject* object);
// How many references the object holds right now (for release checks).
ULONG RefCount(IDataObject* object);

}  // namespace testsupport
