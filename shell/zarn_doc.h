#pragma once
// CZarnDoc: the one document. It holds nothing; every screen is a view on it,
// and the frame finds the screens that exist by walking its views.

#include "platform/ui/doc_view.h"

namespace zarn {

class CZarnDoc : public CDocument {
    DECLARE_DYNCREATE(CZarnDoc)
public:
    BOOL OnNewDocument() override { return CDocument::OnNewDocument(); }
};

}  // namespace zarn
