// SPDX-License-Identifier: MIT
// "Another application" for the end-to-end tests on Wayland: a window that, once clicked,
// owns the primary selection with the text it was given (the compositor takes a selection
// only from the focused window, after an input event) and says "owned".
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

#include <cstdio>

namespace {

class OwnerWindow : public QRasterWindow {
public:
    explicit OwnerWindow(QString text)
        : m_text(std::move(text))
    {
        setTitle(QStringLiteral("Selection owner"));
        resize(300, 200);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkCyan);
    }
    void mousePressEvent(QMouseEvent*) override
    {
        QGuiApplication::clipboard()->setText(m_text, QClipboard::Selection);
        std::printf("owned\n");
        std::fflush(stdout);
    }

private:
    QString m_text;
};

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    OwnerWindow window(QGuiApplication::arguments().value(1));
    window.show();
    return QGuiApplication::exec();
}
