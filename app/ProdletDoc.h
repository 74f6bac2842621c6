// The document: empty, it only decides that a new document starts hidden.
#pragma once

#include "framework/WinApp.h"

class CProdletDoc : public CDocument {
    DECLARE_DYNCREATE(CProdletDoc)

public:
    BOOL OnNewDocument() override;
    void Serialize(CArchive& ar) override;
};
