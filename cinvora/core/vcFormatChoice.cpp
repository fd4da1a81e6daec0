#include "vcFormatChoice.h"

#include <foundation/Settings.h>

namespace {
const QString kKeyPath = QStringLiteral("lastOutputKeyPath");
const QString kParameters = QStringLiteral("lastOutputParameters");
} // namespace

vcFormatChoice::Choice vcFormatChoice::stored() {
    const FormatRecord *record = FormatCatalogue::shared().find(foundation::Settings::value(kKeyPath).toString());
    if (!record)
        return {};
    return {record->key,
            FormatRules::FormatChoices::fromPropertyList(foundation::Settings::value(kParameters).toMap())};
}

void vcFormatChoice::clearStored() {
    foundation::Settings::setValue(kKeyPath, QString());
    foundation::Settings::setValue(kParameters, QVariantMap());
}

void vcFormatChoice::set(const FormatKey &key, const FormatRules::FormatChoices &parameters) {
    {
        std::lock_guard l(_lock);
        _choice = {key, parameters};
    }
    foundation::Settings::setValue(kKeyPath, key.keyPath());
    foundation::Settings::setValue(kParameters, parameters.toPropertyList());
}
