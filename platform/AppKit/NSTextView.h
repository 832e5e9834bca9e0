// NSTextView: a multi-line plain-text view (QPlainTextEdit) whose whole text is its "string".
#pragma once

#include <QPlainTextEdit>
#include <QString>

class NSTextView : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString string READ string WRITE setString NOTIFY stringChanged)

public:
    explicit NSTextView(QWidget *parent = nullptr);
    ~NSTextView() override;

    QString string() const { return toPlainText(); }
    // Replaces the whole text.
    void setString(const QString &string) { setPlainText(string); }

signals:
    void stringChanged();
};

bool import_NSTextView();
