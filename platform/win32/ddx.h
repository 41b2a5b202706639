// More data exchange for CDialog::DoDataExchange: check boxes, the index
// and the text of combo boxes, and an edit text that is rewritten only when
// it changes. Each moves one field: into the control when save is false,
// out of it when save is true. Texts are UTF-8 on this side.
//
// CRT-free like the rest of the dialog layer.
#pragma once

#include <stddef.h>
#include <windows.h>

namespace pvx {

// Check box state <-> 0 clear, 1 ticked (2 for an indeterminate box).
void DdxCheck(HWND dialog, bool save, int id, int* field);

// Selected index of a combo box <-> field; -1 for none. Writing an index
// that the list lacks leaves nothing selected.
void DdxCBIndex(HWND dialog, bool save, int id, int* field);

// Text of a combo box <-> field. Reading takes what its edit field (or, for
// a drop-down list, its selection) shows. Writing selects the first entry
// that begins with the text, ignoring case; only when none does, the text
// goes into the edit field. False when reading and the text does not fit
// cap bytes (the field is then empty).
bool DdxCBString(HWND dialog, bool save, int id, char* field, size_t cap);

// Text of an edit control <-> field, like CDialog::DdxText, except that
// writing leaves the control alone when it already shows the text, so that
// the caret and selection stay where the user left them.
bool DdxEditText(HWND dialog, bool save, int id, char* field, size_t cap);

}  // namespace pvx
