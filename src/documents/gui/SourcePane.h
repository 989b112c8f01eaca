#pragma once

#include "DocumentOpening.h"

class QTextEdit;

// The source pane as the Open command sees it. A new document given to the pane replaces
// its old one, which goes unless something else owns it.
DocumentOpening::Pane sourcePane(QTextEdit* pane);
