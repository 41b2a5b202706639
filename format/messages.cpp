#include "format/messages.h"

namespace pvx {
namespace {

struct Entry {
  const char* ja;
  const char* en;
};

// Japanese first: these are the programs' own texts and must stay byte for
// byte as they are.
const Entry kTexts[kMsgCount] = {
    {"%sは %s KBです.\n分割する必要はありません.",
     "%s is %s KB.\nThere is no need to cut it."},
    {"Disk%dをセットしてください...", "Insert disk %d..."},
    {"%s はすでに存在しています.\n_%s に名前を変更して続行しますか?",
     "%s already exists.\nRename it to _%s and go on?"},
    {"%s はすでに存在します.\n上書きしますか?",
     "%s already exists.\nOverwrite it?"},
    {"%s はすでに存在します.上書きしますか?",
     "%s already exists. Overwrite it?"},
    {"fail FindResource()", "fail FindResource()"},
    {"分割ファイル数が100を超えました.",
     "The number of pieces has exceeded 100."},
    {"%s is cut into %d files.", "%s is cut into %d files."},
    {"%s is concatinated.", "%s is concatinated."},
    {"%sはPvXファイルではありません.", "%s is not a PvX file."},
    {"%sのオープンに失敗しました.", "Failed to open %s."},
    {"%s (%s Kbytes)", "%s (%s Kbytes)"},
    {"%s (%d Kbytes)", "%s (%d Kbytes)"},
    {"%s: ヘッダのファイル名 \"%s\" は使えません.",
     "%s: the file name in its header, \"%s\", is not a plain file name; "
     "nothing was written."},
    {"%s: ヘッダのファイル名が Shift_JIS として正しくありません.",
     "%s: the file name in its header is not valid Shift_JIS (code page "
     "932)."},
    {"%s: このファイル名は Shift_JIS で表せません.",
     "%s: this file name cannot be written in Shift_JIS (code page 932), "
     "which the piece header needs."},
    {"%sは 4GB 以上です. 分割できません.",
     "%s is 4 GiB or larger; a piece set cannot describe it."},
    {"分割サイズ %u バイトでは先頭の %u バイトが入りません.",
     "A piece size of %u bytes cannot hold the %u bytes that head piece 0."},
    {"%s: パスが長すぎます.", "%s: the path is too long."},
    {"%s: ファイルが途中で終わっています.",
     "%s: the file ended before its expected length."},
    {"%s: 処理中の入力ファイルです. 上書きできません.",
     "%s: is an input of this operation; it will not be overwritten."},
    {"%s: 出力ファイルです. 分割ファイルとして読めません.",
     "%s: is the output file; it cannot be read as a piece."},
    {"進行状況ウィンドウを作成できません.",
     "The progress window cannot be created."},
    {"%s: \\, : または制御文字を含むファイル名は分割ファイルに記録できません.",
     "%s: a piece set cannot carry a file name that holds \"\\\", \":\" or a "
     "control character; nothing was written."},
};

}  // namespace

const char* Text(Lang lang, Msg id) {
  if (id < 0 || id >= kMsgCount) return "";
  return lang == Lang::kJapanese ? kTexts[id].ja : kTexts[id].en;
}

}  // namespace pvx
