#include "bridge/TextActions.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "bridge/Channel.h"
#include "bridge/PathParts.h"
#include "bridge/ProgramStart.h"
#include "bridge/TextEditor.h"
#include "common/Handles.h"
#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {

// Another program may hold the clipboard for a moment: a few brief tries,
// then give up rather than keep the shell waiting.
bool OpenClipboardBriefly(std::optional<OpenClipboardScope>& clipboard) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    clipboard.emplace(nullptr);
    if (clipboard->IsOpen()) return true;
    Sleep(20);
  }
  return false;
}

// Turns a text, piece by piece, into the clipboard text: the text ends at
// the first NUL; CR LF, a lone CR and a lone LF each become CR LF. Whether
// the output ends in a break is kept, since a break at the end of the text
// starts no further line and is left out. Char is char for ANSI bytes and
// wchar_t for decoded text.
template <class Char>
class LineBreakNormaliser {
 public:
  // Hands the output for these characters to out(chars, count); false once the text has ended.
  template <class Out>
  bool Feed(const Char* chars, size_t count, Out& out) {
    static const Char kBreak[2] = {Char('\r'), Char('\n')};
    if (ended_) return false;
    size_t at = 0;
    if (afterCr_ && count > 0) {
      afterCr_ = false;
      if (chars[0] == Char('\n')) at = 1;  // the LF of a CR LF split between two pieces
    }
    while (at < count) {
      size_t run = at;
      while (run < count && chars[run] != Char('\r') && chars[run] != Char('\n') && chars[run] != Char(0)) ++run;
      if (run > at) {
        out(chars + at, run - at);
        endsInBreak_ = false;
      }
      if (run == count) break;
      if (chars[run] == Char(0)) {
        ended_ = true;
        return false;
      }
      out(kBreak, 2);
      endsInBreak_ = true;
      if (chars[run] == Char('\r')) {
        if (run + 1 == count) afterCr_ = true;
        else if (chars[run + 1] == Char('\n')) ++run;
      }
      at = run + 1;
    }
    return true;
  }
  bool EndsInBreak() const { return endsInBreak_; }

 private:
  bool afterCr_ = false;
  bool endsInBreak_ = false;
  bool ended_ = false;
};

constexpr wchar_t kReplacement = 0xFFFD;
constexpr size_t kPieceBytes = 64 * 1024;

void PutCodePoint(std::wstring& out, uint32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(c));
  }
}

// UTF-8 bytes, piece by piece, to UTF-16; a sequence that is malformed,
// overlong, a surrogate or beyond U+10FFFF becomes one U+FFFD.
class Utf8Decoder {
 public:
  void Feed(const unsigned char* bytes, size_t count, std::wstring& out) {
    for (size_t i = 0; i < count; ++i) {
      const unsigned char b = bytes[i];
      if (b >= 0x80) nonAscii_ = true;
      if (need_ > 0) {
        if ((b & 0xC0) == 0x80) {
          code_ = (code_ << 6) | (b & 0x3F);
          if (--need_ == 0) Complete(out);
          continue;
        }
        Bad(out);  // the sequence broke off; this byte starts afresh
      }
      if (b < 0x80) out.push_back(static_cast<wchar_t>(b));
      else if (b >= 0xC2 && b <= 0xDF) Start(b & 0x1F, 1, 0x80);
      else if (b >= 0xE0 && b <= 0xEF) Start(b & 0x0F, 2, 0x800);
      else if (b >= 0xF0 && b <= 0xF4) Start(b & 0x07, 3, 0x10000);
      else Bad(out);
    }
  }
  void Finish(std::wstring& out) {
    if (need_ > 0) Bad(out);
  }
  bool Malformed() const { return malformed_; }
  bool NonAscii() const { return nonAscii_; }

 private:
  void Start(uint32_t bits, int need, uint32_t least) {
    code_ = bits;
    need_ = need;
    least_ = least;
  }
  void Complete(std::wstring& out) {
    if (code_ < least_ || code_ > 0x10FFFF || (code_ >= 0xD800 && code_ <= 0xDFFF)) Bad(out);
    else PutCodePoint(out, code_);
  }
  void Bad(std::wstring& out) {
    need_ = 0;
    malformed_ = true;
    out.push_back(kReplacement);
  }
  uint32_t code_ = 0, least_ = 0;
  int need_ = 0;
  bool malformed_ = false, nonAscii_ = false;
};

// UTF-16 bytes of either order to UTF-16; an unpaired surrogate and an odd
// last byte become U+FFFD.
class Utf16Decoder {
 public:
  explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}
  void Feed(const unsigned char* bytes, size_t count, std::wstring& out) {
    for (size_t i = 0; i < count; ++i) {
      if (!haveByte_) {
        byte_ = bytes[i];
        haveByte_ = true;
        continue;
      }
      haveByte_ = false;
      const wchar_t unit = static_cast<wchar_t>(bigEndian_ ? (byte_ << 8) | bytes[i] : (bytes[i] << 8) | byte_);
      Unit(unit, out);
    }
  }
  void Finish(std::wstring& out) {
    if (high_) out.push_back(kReplacement);
    if (haveByte_) out.push_back(kReplacement);
    high_ = 0;
    haveByte_ = false;
  }

 private:
  void Unit(wchar_t unit, std::wstring& out) {
    const bool isHigh = unit >= 0xD800 && unit <= 0xDBFF, isLow = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high_) {
      if (isLow) {
        out.push_back(high_);
        out.push_back(unit);
        high_ = 0;
        return;
      }
      out.push_back(kReplacement);
      high_ = 0;
    }
    if (isHigh) high_ = unit;
    else out.push_back(isLow ? kReplacement : unit);
  }
  bool bigEndian_;
  bool haveByte_ = false;
  unsigned char byte_ = 0;
  wchar_t high_ = 0;
};

// Reads the open file from offset up to limit in pieces; read(bytes, count)
// returns false to stop. False when the file cannot be read.
template <class Read>
bool ReadPieces(HANDLE file, uint64_t offset, uint64_t limit, Read read) {
  LARGE_INTEGER start{};
  start.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
  std::vector<unsigned char> chunk(kPieceBytes);
  uint64_t left = limit > offset ? limit - offset : 0;
  while (left > 0) {
    DWORD got = 0;
    DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(chunk.size(), left));
    if (!ReadFile(file, chunk.data(), wanted, &got, nullptr)) return false;
    if (got == 0 || !read(chunk.data(), static_cast<size_t>(got))) break;
    left -= got;
  }
  return true;
}

// Reads the file's text as the encoding says and feeds it through a
// normaliser: bytes for ANSI, UTF-16 otherwise. False when it cannot be
// read; endsInBreak tells whether the output ends in a break.
template <class Char, class Out>
bool NormaliseFile(HANDLE file, uint64_t limit, TextEncoding encoding, uint64_t markLength, Out& out,
                   bool& endsInBreak) {
  LineBreakNormaliser<Char> normaliser;
  bool read = false;
  if constexpr (sizeof(Char) == 1) {
    read = ReadPieces(file, markLength, limit, [&](const unsigned char* bytes, size_t n) {
      return normaliser.Feed(reinterpret_cast<const char*>(bytes), n, out);
    });
  } else {
    Utf8Decoder utf8;
    Utf16Decoder utf16(encoding == TextEncoding::Utf16Be);
    std::wstring piece;
    auto decode = [&](const unsigned char* bytes, size_t n) {
      if (encoding == TextEncoding::Utf8) utf8.Feed(bytes, n, piece);
      else utf16.Feed(bytes, n, piece);
    };
    read = ReadPieces(file, markLength, limit, [&](const unsigned char* bytes, size_t n) {
      piece.clear();
      decode(bytes, n);
      return normaliser.Feed(piece.data(), piece.size(), out);
    });
    piece.clear();
    if (encoding == TextEncoding::Utf8) utf8.Finish(piece);
    else utf16.Finish(piece);
    normaliser.Feed(piece.data(), piece.size(), out);
  }
  endsInBreak = normaliser.EndsInBreak();
  return read;
}

// Stores the blocks on the emptied clipboard in their formats, with the
// locale whose ANSI code page the system converts them with; the clipboard
// owns each block it took.
bool StoreOnClipboard(std::initializer_list<std::pair<UINT, GlobalBlock*>> blocks) {
  GlobalBlock locale(GMEM_MOVEABLE, sizeof(LCID));
  if (LCID* id = locale.get() ? static_cast<LCID*>(GlobalLock(locale.get())) : nullptr) {
    *id = GetSystemDefaultLCID();
    GlobalUnlock(locale.get());
  }
  std::optional<OpenClipboardScope> clipboard;
  if (!OpenClipboardBriefly(clipboard)) return false;
  if (!EmptyClipboard()) return false;
  for (const auto& [format, block] : blocks) {
    if (!SetClipboardData(format, block->get())) return false;
    block->release();
  }
  if (locale.get() && SetClipboardData(CF_LOCALE, locale.get())) locale.release();
  return true;
}

// A block holding the characters and a terminating NUL.
template <class Char>
bool FillBlock(GlobalBlock& block, const Char* chars, size_t count) {
  if (!block.get()) return false;
  auto* memory = static_cast<Char*>(GlobalLock(block.get()));
  if (!memory) return false;
  if (count) std::memcpy(memory, chars, count * sizeof(Char));
  memory[count] = Char(0);
  GlobalUnlock(block.get());
  return true;
}

// Where the normalised text goes: counted only (no text), or also written
// into text, cut to capacity characters.
template <class Char>
struct TextOut {
  Char* text = nullptr;
  uint64_t capacity = 0;
  uint64_t produced = 0;
  void operator()(const Char* chars, size_t n) {
    if (text && produced < capacity)
      std::memcpy(text + produced, chars, static_cast<size_t>(std::min<uint64_t>(n, capacity - produced)) * sizeof(Char));
    produced += n;
  }
};

// What the first reading of a text file finds: how its bytes are read, the
// length of its byte-order mark, and the length of its clipboard text in
// characters of that reading.
struct TextMeasure {
  TextEncoding encoding = TextEncoding::Ansi;
  uint64_t markLength = 0;
  uint64_t length = 0;
};

// The byte-order mark at the start of the file, if any.
bool ReadMark(const unsigned char* bytes, size_t n, TextEncoding& encoding, uint64_t& markLength) {
  if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    encoding = TextEncoding::Utf8;
    markLength = 3;
  } else if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    encoding = TextEncoding::Utf16Le;
    markLength = 2;
  } else if (n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    encoding = TextEncoding::Utf16Be;
    markLength = 2;
  } else {
    return false;
  }
  return true;
}

// Reads the file once to learn its encoding and its text's length. Without
// a byte-order mark the text is UTF-8 when it is valid UTF-8 up to its
// first NUL byte and not plain ASCII, else ANSI: both readings are counted
// side by side, so the file need not be read once more for the count.
bool MeasureText(HANDLE file, uint64_t limit, TextMeasure& result) {
  LineBreakNormaliser<char> ansi;
  LineBreakNormaliser<wchar_t> wide;
  TextOut<char> ansiCount;
  TextOut<wchar_t> wideCount;
  Utf8Decoder utf8;
  std::optional<Utf16Decoder> utf16;
  bool first = true, marked = false, ansiLive = true, wideLive = true, notUtf8 = false, endedAtNul = false;
  std::wstring piece;
  const bool read = ReadPieces(file, 0, limit, [&](const unsigned char* bytes, size_t n) {
    if (first) {
      // A piece holds the whole mark: pieces are far longer than it.
      first = false;
      if (ReadMark(bytes, n, result.encoding, result.markLength)) {
        marked = true;
        ansiLive = false;
        if (result.encoding != TextEncoding::Utf8) utf16.emplace(result.encoding == TextEncoding::Utf16Be);
        bytes += result.markLength;
        n -= static_cast<size_t>(result.markLength);
      }
    }
    if (ansiLive) ansiLive = ansi.Feed(reinterpret_cast<const char*>(bytes), n, ansiCount);
    if (wideLive) {
      piece.clear();
      if (utf16) {
        utf16->Feed(bytes, n, piece);
      } else if (marked) {
        utf8.Feed(bytes, n, piece);
      } else {
        const void* nul = std::memchr(bytes, 0, n);
        utf8.Feed(bytes, nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - bytes) : n, piece);
        if (nul) {
          endedAtNul = true;
          utf8.Finish(piece);
          piece.push_back(L'\0');  // ends the text as the NUL does
        }
        notUtf8 = utf8.Malformed();
      }
      wideLive = !notUtf8 && wide.Feed(piece.data(), piece.size(), wideCount);
    }
    return ansiLive || wideLive;
  });
  if (!read) return false;
  if (marked) {
    piece.clear();
    if (utf16) utf16->Finish(piece);
    else utf8.Finish(piece);
    wide.Feed(piece.data(), piece.size(), wideCount);
  } else {
    if (!endedAtNul) {
      piece.clear();
      utf8.Finish(piece);
      notUtf8 = utf8.Malformed();
    }
    result.encoding = !notUtf8 && utf8.NonAscii() ? TextEncoding::Utf8 : TextEncoding::Ansi;
  }
  // A break at the very end of the text starts no further line.
  if (result.encoding == TextEncoding::Ansi)
    result.length = ansiCount.produced - (ansi.EndsInBreak() ? 2 : 0);
  else
    result.length = wideCount.produced - (wide.EndsInBreak() ? 2 : 0);
  return true;
}

// The text of a file in one clipboard block of Char, of the length the
// first reading found: the second reading writes the text straight into
// the block, so a big file costs the clipboard block and no more, which
// matters in the shell's address space.
template <class Char>
bool FillTextBlock(HANDLE file, uint64_t limit, const TextMeasure& measure, std::optional<GlobalBlock>& block) {
  const uint64_t length = measure.length;
  if (length >= std::numeric_limits<SIZE_T>::max() / sizeof(Char) - 1) return false;
  block.emplace(GMEM_MOVEABLE, (static_cast<SIZE_T>(length) + 1) * sizeof(Char));
  if (!block->get()) return false;
  TextOut<Char> store;
  store.text = static_cast<Char*>(GlobalLock(block->get()));
  if (!store.text) return false;
  store.capacity = length;
  // A writer may change the file between the two readings: the text is cut
  // to the block, and a text that came out shorter ends where it ends.
  bool endsInBreak = false;
  bool read = NormaliseFile<Char>(file, limit, measure.encoding, measure.markLength, store, endsInBreak);
  if (endsInBreak && store.produced >= 2) store.produced -= 2;  // the break that ends the text
  store.text[std::min(store.produced, length)] = Char(0);
  GlobalUnlock(block->get());
  return read;
}

// Files beyond this are not copied: their text would take the shell's
// thread for minutes and its address space for gigabytes.
constexpr uint64_t kMaxCopyTextBytes = 256ull * 1024 * 1024;

void ReportTooLargeToCopy() {
  const char* text = ActiveLanguageIndex() == 0
                         ? "Die Datei ist zu gro\xDF, um ihren Text in die Zwischenablage zu kopieren (mehr als 256 MB)."
                         : "The file is too large to copy its text to the clipboard (more than 256 MB).";
  MessageBoxA(GetForegroundWindow(), text, "Ombrelo", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

bool CopyTextFileToClipboard(const std::wstring& path) {
  // Shared with writers too: a file open in an editor can still be copied.
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  // The text is what the file holds now: a file that keeps growing is cut here.
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return false;
  const uint64_t limit = static_cast<uint64_t>(size.QuadPart);
  if (limit > kMaxCopyTextBytes) {
    ReportTooLargeToCopy();
    return false;
  }
  TextMeasure measure;
  if (!MeasureText(file.get(), limit, measure)) return false;
  std::optional<GlobalBlock> block;
  if (measure.encoding == TextEncoding::Ansi)
    return FillTextBlock<char>(file.get(), limit, measure, block) && StoreOnClipboard({{CF_TEXT, &*block}});
  return FillTextBlock<wchar_t>(file.get(), limit, measure, block) && StoreOnClipboard({{CF_UNICODETEXT, &*block}});
}

bool PutTextOnClipboard(const std::string& text) {
  GlobalBlock block(GMEM_MOVEABLE, text.size() + 1);
  return FillBlock(block, text.c_str(), text.size()) && StoreOnClipboard({{CF_TEXT, &block}});
}

bool CopyLinesToClipboard(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return PutTextOnClipboard(text);
}

void CopyToClipboard(const SelectedFile& file, bool nameOnly) {
  CopyToClipboard(file, nameOnly, WithState([](SharedState& s) { return s.IsTextFile; }));
}

void CopyToClipboard(const SelectedFile& file, bool nameOnly, bool isTextFile) {
  if (nameOnly) {
    // Programs that read only CF_TEXT get the ANSI form, a name that opens;
    // without one the system gives them the path with replacement characters.
    GlobalBlock wide(GMEM_MOVEABLE, (file.Path.size() + 1) * sizeof(wchar_t));
    GlobalBlock ansi(GMEM_MOVEABLE, file.Ansi.size() + 1);
    if (!FillBlock(wide, file.Path.c_str(), file.Path.size())) return;
    if (file.HasAnsi() && FillBlock(ansi, file.Ansi.c_str(), file.Ansi.size()))
      StoreOnClipboard({{CF_UNICODETEXT, &wide}, {CF_TEXT, &ansi}});
    else
      StoreOnClipboard({{CF_UNICODETEXT, &wide}});
    return;
  }
  if (!isTextFile) {
    if (file.HasAnsi()) SendMainProgramCommand(file.Ansi, "PicClip");
    return;
  }
  // An empty file gives an empty text; a file that cannot be read leaves
  // the clipboard as it was.
  CopyTextFileToClipboard(file.Path);
}

void OpenInTextViewer(const SelectedFile& file) {
  std::wstring viewer;
  {
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kTxtKey)) viewer = key.ReadWideString(L"ViewerCmd").value_or(L"");
  }
  if (viewer.empty()) viewer = L"notepad.exe";
  // The default is Notepad of the system folder; any other viewer is taken
  // by its full path only, never looked up in the current folder.
  const bool isDefault = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, viewer.c_str(), -1, L"notepad.exe", -1) ==
                         CSTR_EQUAL;
  OpenInTextViewerProgram(isDefault ? SystemProgram(L"notepad.exe") : viewer, file.Path);
}

}  // namespace ombrelo
