// One icon in the notification area: add, change icon and tooltip, take out
// and put back, and turn the desktop's mouse callbacks into the popup menu
// (right button) and its default command (left double-click).
#pragma once

#include "framework/CmdTarget.h"
#include "framework/Shell.h"

class CTrayNotifyIcon : public CObject {
public:
    CTrayNotifyIcon();
    ~CTrayNotifyIcon() override;

    BOOL Create(CWnd* pNotifyWnd, UINT uID, const char* pszTooltipText, HICON hIcon, UINT nNotifyMessage);
    // The icon list forms show the first icon; count and delay do not animate it.
    BOOL Create(CWnd* pNotifyWnd, UINT uID, const char* pszTooltipText, const HICON* phIcons, int nNumIcons,
                DWORD dwDelay, UINT nNotifyMessage);

    void DeleteIcon();
    void HideIcon();
    void ShowIcon();
    void ReinsertIcon();

    BOOL SetTip(const char* pszTooltipText);
    BOOL SetTip(UINT nID);
    CString GetTip() const;

    BOOL SetIcon(HICON hIcon);
    BOOL SetIcon(UINT nIDResource);
    BOOL SetIcon(const char* lpszIconName);  // "#128" names resource 128
    BOOL SetIcon(const HICON* phIcons, int nNumIcons, DWORD dwDelay);
    BOOL SetStockIcon(const char* lpszIconName);  // "#32512" names IDI_APPLICATION
    BOOL SetStockIcon(UINT nIDResource);
    HICON GetIcon() const;

    BOOL SetOwner(CWnd* pNotifyWnd);
    CWnd* GetOwner() const;

    // Also takes the shell's news that a notification area appeared
    // (NIN_AREAAPPEARED), and adds the icon from its record then.
    virtual LRESULT OnNotification(WPARAM wParam, LPARAM lParam);

    // The record as it was last handed to the shell; for tests.
    const NOTIFYICONDATA& GetRecord() const { return m_nid; }
    BOOL IsCreated() const { return m_bCreated; }
    BOOL IsHidden() const { return m_bHidden; }

private:
    void CopyTip(const char* pszTooltipText);
    void AddAgain();

    NOTIFYICONDATA m_nid;
    BOOL m_bCreated;
    BOOL m_bHidden;
    CWnd* m_pOwner;
};
