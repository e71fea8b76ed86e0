#include "gui/desktop/HelpWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace obu {
namespace {

// The anchor a heading is linked by, as Markdown writers make them: lower
// case, blanks as dashes, other punctuation left out ("The tray menu" is
// #the-tray-menu).
QString headingAnchor(const QString& heading) {
    static const QRegularExpression punctuation(QStringLiteral("[^\\w\\- ]"),
                                                QRegularExpression::UseUnicodePropertiesOption);
    QString anchor = heading.trimmed().toLower();
    anchor.remove(punctuation);
    anchor.replace(u' ', u'-');
    return anchor;
}

// Markdown headings get no anchors of their own; the guide's contents links to them.
void anchorHeadings(QTextDocument* document) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0) continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setAnchor(true);
        format.setAnchorNames({headingAnchor(block.text())});
        cursor.mergeCharFormat(format);
    }
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Obu Linekeeper Help"));
    // Closing it only hides it; the program goes on.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpText"));
    m_browser->setOpenExternalLinks(true);
    layout->addWidget(m_browser);
    resize(680, 560);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

bool HelpWindow::load(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxFileSize) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QString text = QString::fromUtf8(file.readAll());
    if (file.error() != QFileDevice::NoError) return false;

    m_browser->setSearchPaths({info.absolutePath()});
    if (text.trimmed().startsWith(u'<'))
        m_browser->setHtml(text);
    else {
        m_browser->setMarkdown(text);
        anchorHeadings(m_browser->document());
    }
    m_browser->verticalScrollBar()->setValue(0);
    m_fileName = path;
    return true;
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace obu
