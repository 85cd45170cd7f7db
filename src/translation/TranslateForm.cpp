#include "translation/TranslateForm.h"

#include "lang/LanguageFile.h"
#include "lang/Languages.h"
#include "translation/FormTranslator.h"

namespace hv {

void translateForm(QWidget* window) {
    if (!window) return;
    // Read afresh: the language may have changed since the last window was translated.
    FormTranslator::apply(window, LanguageFile::read(Languages::instance().languageFilePath()));
}

}  // namespace hv
