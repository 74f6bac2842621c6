// The desktop's opener and its default sound.
#include "framework/qt/QtBridge.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

void CQtPort::Beep() { QApplication::beep(); }

BOOL CQtPort::OpenUrl(const CString& strUrl)
{
    // Qt hands it to xdg-open (or the desktop portal, inside a sandbox);
    // TRUE means the opener was started, which is all the desktop tells.
    const QUrl url(ToQt(strUrl), QUrl::TolerantMode);
    return url.isValid() && QDesktopServices::openUrl(url) ? TRUE : FALSE;
}
