// The Edit Names dialog: the user reorders the host-name list by dragging,
// deletes entries and puts the five default names back. It works on a copy of
// the view's list; OK writes the list and its selection straight into the
// settings store, and the view then reloads its list from there.
#pragma once

#include "framework/Wnd.h"

#include <vector>

class CEditNamesDlg : public CDialog {
public:
    explicit CEditNamesDlg(CWnd* pParent = nullptr);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnDeleteSelection();
    void OnRestoreDefault();

    CDragListBox m_listNames;
    // The entry selected on opening; the stored selection follows it to its
    // new place.
    CString m_strName;

private:
    void AppendNamesGainedMeanwhile();

    // The view's host-name list; attached without owning it, so it lets go
    // by itself if the view goes first.
    CComboBox m_cbViewNames;
    std::vector<CString> m_astrOpenedWith;  // the view's entries when the dialog opened

    DECLARE_MESSAGE_MAP()
};
