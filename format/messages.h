// Every text the engines show, in Japanese (the Windows programs' own texts)
// and in English (for parvex outside a Japanese locale). The format
// directives are the same in both languages, in the same order.
#pragma once

#include "platform/platform.h"

namespace pvx {

enum Msg {
  kMsgNoNeedToSplit,     // name, kilobytes (grouped text)
  kMsgInsertDisk,        // disk number
  kMsgRenameQuestion,    // piece name, piece name
  kMsgOverwrite,         // name
  kMsgOverwriteStub,     // name (the stub's wording, on one line)
  kMsgFailFindResource,
  kMsgTooManyPieces,
  kMsgCutDone,           // title, count
  kMsgJoinDone,          // output name
  kMsgNotPieceSet,       // piece name
  kMsgOpenFailed,        // own name
  kMsgCutCaption,        // name, kilobytes (grouped text)
  kMsgJoinCaption,       // name, kilobytes (number)
  kMsgUnsafeName,        // piece name, stored name
  kMsgBadHeaderName,     // piece name
  kMsgNameNotCp932,      // name
  kMsgTooLarge,          // name
  kMsgPieceSizeTooSmall, // piece size, head length
  kMsgPathTooLong,       // path
  kMsgEndedEarly,        // file name
  kMsgIsInput,           // file name
  kMsgIsOutput,          // file name
  kMsgNoProgressWindow,
  kMsgNameNotStorable,   // name
  kMsgCount
};

const char* Text(Lang lang, Msg id);

}  // namespace pvx
