// SPDX-License-Identifier: MIT
#include "app/Pasteboard.h"

#include <QGuiApplication>

namespace lexwick {

ClipboardPasteboard::ClipboardPasteboard(QClipboard::Mode readFrom, QClipboard::Mode writeTo)
    : m_text(QGuiApplication::clipboard()->text(readFrom))
    , m_writeTo(writeTo)
{
}

QClipboard::Mode ClipboardPasteboard::selectionMode()
{
    return QGuiApplication::clipboard()->supportsSelection() ? QClipboard::Selection
                                                             : QClipboard::Clipboard;
}

void ClipboardPasteboard::setString(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear(m_writeTo);
    clipboard->setText(text, m_writeTo);
}

} // namespace lexwick
