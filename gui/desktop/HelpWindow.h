#pragma once
#include <QWidget>

class QTextBrowser;

namespace obu {

// The program's help window: the user guide, a text in Markdown (or HTML, when
// it begins with a tag), with its headings, tables and links. Links within the
// guide move to their place; web addresses open in the desktop's browser.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Reads the help file afresh. False, with the window unchanged, when the
    // file is missing, is no file, cannot be read or is too large to be a guide.
    bool load(const QString& path);

    QTextBrowser* browser() const { return m_browser; }
    const QString& fileName() const { return m_fileName; }

    static constexpr qint64 kMaxFileSize = qint64{8} * 1024 * 1024;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextBrowser* m_browser;
    QString m_fileName;
};

}  // namespace obu
