#include "lang/widgets/TranslateForm.h"

#include "lang/LanguageFile.h"
#include "lang/Languages.h"
#include "lang/widgets/FormTranslator.h"

namespace hv {

void TranslateForm(QWidget* window) {
    if (!window) return;
    // Read afresh: the language may have changed since the last window was translated.
    FormTranslator::apply(window, LanguageFile::read(Languages::instance().languageFilePath()));
}

}  // namespace hv
