// SPDX-License-Identifier: MIT
#pragma once

#include <QClipboard>
#include <QString>

namespace lexwick {

// Where a Services request finds its text and leaves its result.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // The text it holds; empty when it holds none.
    virtual QString string() const = 0;
    // Replaces what it holds with the text.
    virtual void setString(const QString& text) = 0;
};

// A text handed in with the call; the result stays here and goes nowhere else.
class TextPasteboard : public Pasteboard {
public:
    explicit TextPasteboard(QString text)
        : m_text(std::move(text))
    {
    }

    QString string() const override { return m_text; }
    void setString(const QString& text) override { m_text = text; }

private:
    QString m_text;
};

// Reads one of the application's clipboards when it is made, and writes its result to another,
// which the application then owns: on X11 the text is the PRIMARY selection of the moment of
// the call, and the result goes to CLIPBOARD. An X11 clipboard lives as long as its owner,
// which is why the long-running application, not the command, writes it.
class ClipboardPasteboard : public Pasteboard {
public:
    ClipboardPasteboard(QClipboard::Mode readFrom, QClipboard::Mode writeTo);

    // PRIMARY to CLIPBOARD where the platform has a selection; else the clipboard both ways.
    static QClipboard::Mode selectionMode();

    QString string() const override { return m_text; }
    void setString(const QString& text) override;

private:
    QString m_text;
    QClipboard::Mode m_writeTo;
};

} // namespace lexwick
