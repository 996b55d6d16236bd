#pragma once
// The check of the parameters page before a write, as a pure function of the page's texts and
// radio selections. The page applies the outcome: focus, error dialog, the stored correction.
#include "params/ParamSet.h"
#include <QString>
#include <optional>

// What receives the input focus before a failed check's message is shown.
enum class TParamFocus { None, Grid, RadioGroup1, RadioGroup2, RadioGroup6, RadioGroup5 };

struct TParamCheck {
    bool Passed = false;
    int Check = 0;   // the failed check: 1..22 the grid rows, 24..27 the radio groups; 0 when passed
    QString Message; // the text of the modal error dialog (error icon, one OK button)
    TParamFocus Focus = TParamFocus::None;
    int Row = -1; // with Focus Grid: the cell to focus
    int Column = -1;
    // Set once every grid row has passed, also when a radio group check fails afterwards: the
    // correction to store in the record of the selected sensor.
    std::optional<TCorrection> Correction;
};

// Runs the checks in order and stops at the first that fails. The member
// TParamsPage::Correct_Enter_Param() hides this name: call it there as ::Correct_Enter_Param.
TParamCheck Correct_Enter_Param(const TParamTexts& page);
