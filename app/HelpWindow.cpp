#include "HelpWindow.h"

#include "KveApplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#ifndef KVE_DATA_DIR
#error "KVE_DATA_DIR is defined by the build"
#endif

namespace kve {

QStringList helpSearchDirs()
{
    return {QCoreApplication::applicationDirPath(), QStringLiteral(KVE_DATA_DIR)};
}

QString findHelpFile(const QStringList &dirs)
{
    for (const QString &dir : dirs) {
        if (dir.isEmpty())
            continue;
        const QFileInfo info(QDir(dir).filePath(kHelpFileName));
        if (info.isFile() && info.isReadable())
            return info.absoluteFilePath();
    }
    return {};
}

} // namespace kve

namespace {
constexpr int kBlockRole = Qt::UserRole + 1;
}

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Помощь"));
    setAccessibleName(windowTitle());
    resize(900, 640);

    m_contents = new QTreeWidget;
    m_contents->setObjectName(QStringLiteral("HelpContents"));
    m_contents->setHeaderLabel(QStringLiteral("Содержание"));
    m_contents->setAccessibleName(QStringLiteral("Содержание"));
    m_contents->setRootIsDecorated(false);

    m_browser = new QTextBrowser;
    m_browser->setObjectName(QStringLiteral("HelpText"));
    m_browser->setAccessibleName(QStringLiteral("Текст справки"));
    m_browser->setOpenExternalLinks(false);

    m_status = new QLabel;
    m_status->setWordWrap(true);
    m_status->setVisible(false);

    auto *splitter = new QSplitter;
    splitter->addWidget(m_contents);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 660});

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(splitter, 1);

    const auto goToGuarded = [this](QTreeWidgetItem *item) { kve::runCommand([&] { goTo(item); }); };
    connect(m_contents, &QTreeWidget::itemActivated, this, goToGuarded);
    connect(m_contents, &QTreeWidget::itemClicked, this, goToGuarded);
}

QString HelpWindow::statusText() const
{
    return m_status->isVisible() ? m_status->text() : QString();
}

bool HelpWindow::showContents(const QStringList &dirs)
{
    m_path = kve::findHelpFile(dirs);
    m_contents->clear();
    if (m_path.isEmpty()) {
        QStringList places;
        for (const QString &dir : dirs)
            places << QDir::toNativeSeparators(QDir(dir).filePath(kve::kHelpFileName));
        const QString text = QStringLiteral("Файл справки %1 не найден.\nИскали: %2")
                                 .arg(kve::kHelpFileName, places.join(QStringLiteral("; ")));
        m_status->setText(text);
        m_status->setAccessibleName(text);
        m_status->setVisible(true);
        m_browser->clear();
        return false;
    }
    m_status->setVisible(false);
    m_browser->setSource(QUrl::fromLocalFile(m_path));
    if (!m_browser->documentTitle().isEmpty())
        setWindowTitle(m_browser->documentTitle());
    buildContents();
    return true;
}

// The contents are the headings of the manual, level 2 and 3.
void HelpWindow::buildContents()
{
    QTreeWidgetItem *chapter = nullptr;
    for (QTextBlock block = m_browser->document()->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        const QString title = block.text().trimmed();
        if (title.isEmpty() || (level != 2 && level != 3))
            continue;
        QTreeWidgetItem *item = nullptr;
        if (level == 2 || !chapter) {
            item = new QTreeWidgetItem(m_contents, {title});
            chapter = item;
        } else {
            item = new QTreeWidgetItem(chapter, {title});
        }
        item->setData(0, kBlockRole, block.position());
    }
    m_contents->expandAll();
}

void HelpWindow::goTo(QTreeWidgetItem *item)
{
    if (!item)
        return;
    QTextCursor cursor(m_browser->document());
    cursor.setPosition(item->data(0, kBlockRole).toInt());
    // Put the heading at the top of the view, not just somewhere on the screen.
    m_browser->verticalScrollBar()->setValue(m_browser->verticalScrollBar()->maximum());
    m_browser->setTextCursor(cursor);
    m_browser->ensureCursorVisible();
}

void showHelpContents(QWidget *parent)
{
    showHelpContents(parent, kve::helpSearchDirs());
}

HelpWindow *showHelpContents(QWidget *parent, const QStringList &dirs)
{
    static QPointer<HelpWindow> window;
    if (!window || window->parentWidget() != parent) {
        delete window;
        window = new HelpWindow(parent);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    window->showContents(dirs);
    // A minimised window comes back as it was; one behind others comes to the front.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
