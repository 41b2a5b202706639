#include "engines/messages.h"

namespace pvx {
namespace {

// The Windows programs speak Japanese only and leave the English texts out
// of their files.
#ifdef PVX_JAPANESE_ONLY
struct Entry {
  const char* ja;
};
#define T(ja, en) {ja},
#else
struct Entry {
  const char* ja;
  const char* en;
};
#define T(ja, en) {ja, en},
#endif

// TOOL marks the texts that only the tool's own cut and join engines show;
// they stand last, from kMsgToolOnly on. The stub carries no such engine
// and leaves them out of its file (PVX_STUB_TEXTS): its table ends before
// them, and Text gives "" for their ids. tests/stub/check_stub_texts.py
// makes sure that no code the stub is built from names one of them.
#ifdef PVX_STUB_TEXTS
#define TOOL(ja, en)
constexpr int kTextCount = kMsgToolOnly;
#else
#define TOOL(ja, en) T(ja, en)
constexpr int kTextCount = kMsgCount;
#endif

// Japanese first: these are the programs' own texts and must stay byte for
// byte as they are.
const Entry kTexts[kTextCount] = {
    T("%s はすでに存在します.上書きしますか?",
      "%s already exists. Overwrite it?")
    T("%s is concatinated.",
      "%s is concatinated.")
    T("%sはPvXファイルではありません.",
      "%s is not a PvX file.")
    T("%sのオープンに失敗しました.",
      "Failed to open %s.")
    T("%s (%s Kbytes)",
      "%s (%s Kbytes)")
    T("%s: ヘッダのファイル名 \"%s\" は使えません.",
      "%s: the file name in its header, \"%s\", is not a plain file name; "
      "nothing was written.")
    T("%s: ヘッダのファイル名が Shift_JIS として正しくありません.",
      "%s: the file name in its header is not valid Shift_JIS (code page "
      "932).")
    T("%sは 4GB 以上です. 分割できません.",
      "%s is 4 GiB or larger; a piece set cannot describe it.")
    T("%s: パスが長すぎます.",
      "%s: the path is too long.")
    T("%s: ファイルが途中で終わっています.",
      "%s: the file ended before its expected length.")
    T("%s: 処理中の入力ファイルです. 上書きできません.",
      "%s: is an input of this operation; it will not be overwritten.")
    T("%s: 出力ファイルです. 分割ファイルとして読めません.",
      "%s: is the output file; it cannot be read as a piece.")
    T("進行状況ウィンドウを作成できません.",
      "The progress window cannot be created.")
    TOOL("%sは %s KBです.\n分割する必要はありません.",
         "%s is %s KB.\nThere is no need to cut it.")
    TOOL("Disk%dをセットしてください...",
         "Insert disk %d...")
    TOOL("%s はすでに存在しています.\n_%s に名前を変更して続行しますか?",
         "%s already exists.\nRename it to _%s and go on?")
    TOOL("%s はすでに存在します.\n上書きしますか?",
         "%s already exists.\nOverwrite it?")
    TOOL("fail FindResource()",
         "fail FindResource()")
    TOOL("分割ファイル数が100を超えました.",
         "The number of pieces has exceeded 100.")
    TOOL("%s is cut into %d files.",
         "%s is cut into %d files.")
    TOOL("%s: このファイル名は Shift_JIS で表せません.",
         "%s: this file name cannot be written in Shift_JIS (code page 932), "
         "which the piece header needs.")
    TOOL("分割サイズ %u バイトでは先頭の %u バイトが入りません.",
         "A piece size of %u bytes cannot hold the %u bytes that head piece 0.")
    TOOL("%s: \\, /, : または制御文字を含むファイル名は分割ファイルに記録できません.",
         "%s: a piece set cannot carry a file name that holds \"\\\", \"/\", "
         "\":\" or a control character; nothing was written.")
    TOOL("%s: このファイル名は長すぎて分割ファイルのヘッダに記録できません "
         "(UTF-8 で %u バイトまで).",
         "%s: this file name is too long for the piece header beside its "
         "Shift_JIS stand-in: it may be %u bytes long (UTF-8) at most.")
    TOOL("分割ファイル数が%dを超えました.",
         "The number of pieces has exceeded %d.")
    TOOL("%s: このファイル名は長すぎて 4GB 以上のファイルのヘッダに記録できません "
         "(Shift_JIS で %u バイトまで).",
         "%s: this file name is too long for the header of a source of 4 GiB "
         "or more: it may be %u bytes long (Shift_JIS) at most.")
};

}  // namespace

const char* Text(Lang lang, Msg id) {
  if (id < 0 || id >= kTextCount) return "";
#ifdef PVX_JAPANESE_ONLY
  (void)lang;
  return kTexts[id].ja;
#else
  return lang == Lang::kJapanese ? kTexts[id].ja : kTexts[id].en;
#endif
}

}  // namespace pvx
