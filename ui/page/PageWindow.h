// Base of the windows built around one skin page (setup, search, download): a frameless window of
// fixed size holding the page, optionally under a dark title band with the window's name that drags
// the window and a close button; the page's handler calls reach HandleCommand.
#pragma once

#include "ui/page/ScriptBridge.h"

#include <QDialog>

class BrowserHost;
class SkinButton;

class PageWindow : public QDialog, public PageCommandHandler {
    Q_OBJECT
public:
    static constexpr int kTitleHeight = 32;

    ~PageWindow() override;

    BrowserHost* page() const { return m_page; }

protected:
    // The main window's accessor of the window it routes a handler method to.
    using RoutedWindow = PageCommandHandler* (BridgeHost::*)() const;
    enum class Frame { TitleBand, PageOnly };

    // `name` gives the object names ("<name>Dlg", "<name>Page"). The page's calls of `dispid` are
    // handled here unless the main window routes them, i.e. holds this as its `routed` window.
    // The derived window navigates once it is ready for the page's signals.
    PageWindow(const QString& name, QSize size, int dispid, RoutedWindow routed, Frame frame,
               QWidget* parent);

    // Centred on the owner's window (or the screen), the title band kept on the screen.
    void showEvent(QShowEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    BrowserHost* m_page = nullptr;
    SkinButton* m_close = nullptr; // none without a title band
};
