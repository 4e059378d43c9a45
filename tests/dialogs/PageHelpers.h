#pragma once

// Small helpers of the settings-page tests: driving a page's controls by the name of the setting
// they edit, and reading what reached the registry past the settings' cache.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/CConfiguration.h"
#include "core/CConfigurationZentrova.h"
#include "platform/CPolicyMessageBoxes.h"

namespace page_test {

// One step a user takes on a control named after its setting.
struct Step {
    enum Kind { Tick, Untick, Fill, Choose };
    Step(Kind kind, std::string control, std::string text = {})
        : kind(kind), control(std::move(control)), text(std::move(text)) {}
    Kind kind;
    std::string control;
    std::string text;  // Fill: the text typed; Choose: the item's text
};

inline void Apply(QWidget* page, const Step& step) {
    const QString name = QString::fromStdString(step.control);
    switch (step.kind) {
        case Step::Tick:
        case Step::Untick: {
            auto* box = page->findChild<QCheckBox*>(name);
            ASSERT_NE(box, nullptr) << step.control;
            box->setChecked(step.kind == Step::Tick);
            break;
        }
        case Step::Fill: {
            auto* field = page->findChild<QLineEdit*>(name);
            ASSERT_NE(field, nullptr) << step.control;
            field->setText(QString::fromStdString(step.text));
            break;
        }
        case Step::Choose: {
            auto* combo = page->findChild<QComboBox*>(name);
            ASSERT_NE(combo, nullptr) << step.control;
            const int index = combo->findText(QString::fromStdString(step.text));
            ASSERT_GE(index, 0) << step.control << ": no item " << step.text;
            combo->setCurrentIndex(index);
            break;
        }
    }
}

using Value = std::variant<uint32_t, std::string>;

struct Setting {
    std::string name;
    Value value;
};

inline void Set(const Setting& s) {
    if (const auto* n = std::get_if<uint32_t>(&s.value)) {
        CConfigurationZentrova::GetInstance()->SetLongParameter(s.name, *n);
    } else {
        CConfigurationZentrova::GetInstance()->SetRegistryParameter(s.name, std::get<std::string>(s.value));
    }
}

// The stored value, read from the registry by a store with an empty cache.
inline void ExpectStored(const Setting& s) {
    CConfiguration fresh(CConfigurationZentrova::kKeyPath);
    if (const auto* n = std::get_if<uint32_t>(&s.value)) {
        EXPECT_EQ(fresh.GetLongParameter(s.name), *n) << s.name;
    } else {
        std::string text;
        EXPECT_EQ(fresh.GetStringParameter(s.name, text), std::get<std::string>(s.value)) << s.name;
    }
}

// Whether a box with exactly `text` was shown.
inline bool Shown(const platform::CPolicyMessageBoxes& boxes, const std::string& text) {
    for (const auto& shown : boxes.shown()) {
        if (shown.text == text) {
            return true;
        }
    }
    return false;
}

}  // namespace page_test
