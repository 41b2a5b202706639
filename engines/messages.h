// Every text the engines show, in Japanese (the Windows programs' own texts)
// and in English (for parvex outside a Japanese locale). The format
// directives are the same in both languages, in the same order.
#pragma once

#include "platform/platform.h"

namespace pvx {

// The texts that only the tool's own cut and join engines show come last,
// from kMsgToolOnly on: the stub's catalogue stops before them.
enum Msg {
  kMsgOverwriteStub,     // name (the stub's wording, on one line)
  kMsgJoinDone,          // output name
  kMsgNotPieceSet,       // piece name
  kMsgOpenFailed,        // own name
  kMsgSizeCaption,       // name, kilobytes (as text, any 64-bit count;
                         // grouped in a cut)
  kMsgUnsafeName,        // piece name, stored name
  kMsgBadHeaderName,     // piece name
  kMsgTooLarge,          // name
  kMsgPathTooLong,       // path
  kMsgEndedEarly,        // file name
  kMsgIsInput,           // file name
  kMsgIsOutput,          // file name
  kMsgNoProgressWindow,
  kMsgToolOnly,
  kMsgNoNeedToSplit = kMsgToolOnly,  // name, kilobytes (grouped text)
  kMsgInsertDisk,        // disk number
  kMsgRenameQuestion,    // piece name, piece name
  kMsgOverwrite,         // name
  kMsgFailFindResource,
  kMsgTooManyPieces,
  kMsgCutDone,           // title, count
  kMsgNameNotCp932,      // name
  kMsgPieceSizeTooSmall, // piece size, head length
  kMsgNameNotStorable,   // name
  kMsgNameTooLongForRecord,  // name, longest exact name in bytes (number)
  kMsgTooManyPiecesOf,   // the most pieces a cut makes (number)
  kMsgNameTooLongForLarge,  // name, longest code page 932 form in bytes
  kMsgCount
};

const char* Text(Lang lang, Msg id);

}  // namespace pvx
