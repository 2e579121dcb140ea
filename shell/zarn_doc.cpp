#include "shell/zarn_doc.h"

namespace zarn {

IMPLEMENT_DYNCREATE(CZarnDoc, CDocument)

}  // namespace zarn
