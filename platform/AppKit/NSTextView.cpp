#include "NSTextView.h"

NSTextView::NSTextView(QWidget *parent) : QPlainTextEdit(parent) {
    connect(this, &QPlainTextEdit::textChanged, this, &NSTextView::stringChanged);
}

NSTextView::~NSTextView() = default;

bool import_NSTextView() { return true; }
