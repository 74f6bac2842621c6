// Message boxes captioned with the application's title.
#include "framework/Resources.h"
#include "framework/Wnd.h"
#include "framework/qt/QtBridge.h"

#include <QMessageBox>

namespace {

AfxMessageBoxHook& Hook()
{
    static AfxMessageBoxHook s_hook;
    return s_hook;
}

QMessageBox::Icon IconOfType(UINT nType)
{
    switch (nType & 0xF0) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

}  // namespace

void AfxSetMessageBoxHook(AfxMessageBoxHook hook) { Hook() = std::move(hook); }

int AfxMessageBox(const CString& strText, UINT nType)
{
    CString strCaption;
    AfxLoadString(57344, strCaption);  // the application's title
    if (Hook())
        return Hook()(strCaption, strText, nType);
    QMessageBox box(IconOfType(nType), QString::fromStdString(strCaption), QString::fromStdString(strText),
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    // exec runs a nested loop: timers and posted messages go on meanwhile.
    box.exec();
    return IDOK;
}
