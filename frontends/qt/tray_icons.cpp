#include "frontends/qt/tray_icons.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QIcon>
#include <QPixmap>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>

#include "frontends/qt/dialog_view.h"
#include "frontends/qt/qt_text.h"
#include "ui/notify_icon.h"

namespace vlt::frontends::qt {
namespace {

std::vector<UINT> messagesFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger: return ui::mouseMessagesFor(ui::IconClick::Left);
        case QSystemTrayIcon::Context: return ui::mouseMessagesFor(ui::IconClick::Right);
        case QSystemTrayIcon::MiddleClick: return ui::mouseMessagesFor(ui::IconClick::Middle);
        // Qt reports the click before the double click on its own.
        case QSystemTrayIcon::DoubleClick: return {WM_LBUTTONDBLCLK, WM_LBUTTONUP};
        case QSystemTrayIcon::Unknown: break;
    }
    return {};
}

void show(QSystemTrayIcon& icon, const ui::NotifyIconRequest& request) {
    icon.setIcon(request.icon.width > 0 ? QIcon(QPixmap::fromImage(toQImage(request.icon))) : QIcon());
    icon.setToolTip(fromAnsi(request.tip));
}

}  // namespace

TrayIcons::TrayIcons() = default;
TrayIcons::~TrayIcons() = default;

QSystemTrayIcon* TrayIcons::find(HWND owner, UINT id) const {
    auto it = m_icons.find({owner, id});
    return it == m_icons.end() ? nullptr : it->second.get();
}

bool TrayIcons::apply(const ui::NotifyIconRequest& request) {
    using Action = ui::NotifyIconRequest::Action;
    const auto key = std::make_pair(request.owner, request.id);
    auto it = m_icons.find(key);
    if (request.action == Action::Delete) {
        if (it == m_icons.end()) return false;
        it->second->hide();
        m_icons.erase(it);
        return true;
    }
    if (request.action == Action::Modify) {
        if (it == m_icons.end()) return false;
        show(*it->second, request);
        return true;
    }
    if (it != m_icons.end() || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
    auto icon = std::make_unique<QSystemTrayIcon>();
    show(*icon, request);
    const HWND owner = request.owner;
    const UINT id = request.id;
    QObject::connect(icon.get(), &QSystemTrayIcon::activated, icon.get(),
                     [owner, id](QSystemTrayIcon::ActivationReason reason) {
                         for (UINT m : messagesFor(reason)) ui::notifyIconEvent(owner, id, m);
                     });
    icon->show();
    m_icons[key] = std::move(icon);
    return true;
}

bool sendDesktopNotification(const ui::NotificationRequest& request) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    call << fromAnsi(request.appName) << 0u << QString() << fromAnsi(request.summary) << fromAnsi(request.body)
         << QStringList() << QVariantMap() << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace vlt::frontends::qt
