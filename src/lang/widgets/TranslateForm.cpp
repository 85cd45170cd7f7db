#include "lang/widgets/TranslateForm.h"

namespace hv {

void TranslateForm(QWidget*) {}

}  // namespace hv
