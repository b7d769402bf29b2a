#include "ui/page/PageWindow.h"

#include "core/config/ViewerConfig.h"
#include "ui/page/BrowserHost.h"
#include "ui/widgets/SkinButton.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>

PageWindow::PageWindow(const QString& name, QSize size, int dispid, RoutedWindow routed, Frame frame,
                       QWidget* parent)
    : QDialog(parent) {
    setObjectName(name + QStringLiteral("Dlg"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(size);
    const int top = frame == Frame::TitleBand ? kTitleHeight : 0;
    if (frame == Frame::TitleBand) {
        m_close = new SkinButton(this);
        m_close->setObjectName(QStringLiteral("btnClose"));
        m_close->setBitmaps(145, 147, 146);
        m_close->setGeometry(size.width() - 65 - 2, 2, 65, 28);
        connect(m_close, &QAbstractButton::clicked, this, &QDialog::reject);
    }

    m_page = new BrowserHost(this);
    m_page->setObjectName(name + QStringLiteral("Page"));
    m_page->setGeometry(0, top, size.width(), size.height() - top);
    // While the main window holds this window for its handler method it routes the page's calls
    // here itself; without one (tests, a window run on its own) they are taken from the bridge.
    connect(m_page->bridge(), &ScriptBridge::invoked, this,
            [this, dispid, routed](int id, const QString& command, const QVariant& value) {
                if (id != dispid)
                    return;
                BridgeHost* host = m_page->bridge()->host();
                if (!host || (host->*routed)() != this)
                    handleCommand(command, commandValueToString(value));
            });
}

PageWindow::~PageWindow() = default;

void PageWindow::showEvent(QShowEvent* e) {
    const QRect area = parentWidget()
                           ? parentWidget()->window()->frameGeometry()
                           : (screen() ? screen()->availableGeometry() : QRect(QPoint(0, 0), size()));
    QPoint at = area.center() - rect().center();
    // Centred on a small owner the window could reach above the screen: its title stays on screen.
    if (screen()) {
        const QRect avail = screen()->availableGeometry();
        at.setY(std::max(at.y(), avail.top()));
        at.setX(std::max(at.x(), avail.left()));
    }
    move(at);
    QDialog::showEvent(e);
}

void PageWindow::paintEvent(QPaintEvent*) {
    if (!m_close)
        return;
    // The title picture: a dark band with the window's name.
    QPainter p(this);
    QLinearGradient band(0, 0, 0, kTitleHeight);
    band.setColorAt(0, QColor(62, 62, 62));
    band.setColorAt(1, QColor(30, 30, 30));
    p.fillRect(QRect(0, 0, width(), kTitleHeight), band);
    p.fillRect(QRect(0, kTitleHeight - 2, width(), 2), QColor(0, 168, 255));
    QFont f(GetInstallerLanguage() == "korean" ? QStringLiteral("Noto Sans CJK KR")
                                               : QStringLiteral("Carlito"));
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(14, 0, width() - 100, kTitleHeight - 2), Qt::AlignVCenter | Qt::AlignLeft,
               windowTitle());
}

void PageWindow::mousePressEvent(QMouseEvent* e) {
    // The title band drags the window.
    if (m_close && e->button() == Qt::LeftButton && e->position().y() < kTitleHeight && windowHandle())
        windowHandle()->startSystemMove();
    QDialog::mousePressEvent(e);
}
