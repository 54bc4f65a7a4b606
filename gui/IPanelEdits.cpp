// The panel's edits: whatever the user changes reaches the host inside one
// begin/perform/end gesture, with the value and name displays following, and
// values given another way than with the mouse (a list's menu, a typed text)
// arrive as edits of their own.

#include <string>

#include "gui/IPanel.h"
#include "gui/IPopupMenu.h"
#include "plugbase/IParamDef.h"

void IPanel::BeginEdit(int paramIndex) {
  EndOpenEdit();
  if (paramIndex < 0 || !port_) return;
  port_->BeginEdit(paramIndex);
  openEdit_ = paramIndex;
}

void IPanel::EndOpenEdit() {
  const int param = openEdit_;
  openEdit_ = -1;
  if (param < 0 || !port_) return;
  port_->EndEdit(param);
  // The host's latest value, held back during the gesture, now shows if it
  // differs from the control's.
  ApplyHandedOver(param);
}

const IParamDef* IPanel::ParamDescription(int paramIndex) const {
  return port_ ? port_->ParamDescription(paramIndex) : nullptr;
}

std::string IPanel::ParamValueText(int paramIndex) {
  const IParamDef* p = ParamDescription(paramIndex);
  if (!p) return {};
  std::string text = port_->ParamDisplayText(paramIndex);
  if (!p->GetDisplayText(TruncToInt32(port_->ParamPlain(paramIndex))) && *p->Label()) {
    text += ' ';
    text += p->Label();
  }
  return text;
}

void IPanel::ControlEdited(IControl& control) {
  const int param = control.ParamIndex();
  if (param < 0 || !port_) return;
  if (deferEdits_) {
    deferredEdit_ = true;
    return;
  }
  port_->PerformEdit(param, control.Value());
  if (ITextControl* display = control.ValueDisplay()) display->SetTextFromPlug(ParamValueText(param).c_str());
  if (ITextControl* display = control.NameDisplay()) {
    if (const IParamDef* p = ParamDescription(param)) display->SetTextFromPlug(p->Name());
  }
}

void IPanel::ApplyUserValueAsEdit(IControl* control, double normalized) {
  if (!control) return;
  BeginEdit(control->ParamIndex());
  control->ApplyUserValue(normalized);
  EndOpenEdit();
}

void IPanel::PromptUserInput(IControl* control, int paramIndex, const PixelRect& rect) {
  if (!control || !port_ || rect.IsEmpty()) return;
  const IParamDef* p = port_->ParamDescription(paramIndex);
  if (!p) return;
  const double current = port_->ParamPlain(paramIndex);
  const bool menu = p->Kind() == ParamKind::Enumeration || (p->Kind() == ParamKind::Boolean && p->NDisplayTexts() > 0);
  if (menu) {
    IPopupMenu m;
    const std::string shown = port_->ParamDisplayText(paramIndex);
    for (int i = 0; i < p->NDisplayTexts(); ++i) {
      const std::string& text = p->GetDisplayEntry(i).text;
      m.AddItem(text.c_str(), text == shown ? IPopupMenu::kChecked : 0);
    }
    if (ShowPopupMenu(&m, rect) && m.chosenIndex >= 0) {
      control->ApplyUserValue(NormalizedFromPlain(*p, m.chosenIndex));
    }
    return;
  }
  // The entry starts with the value's text, as the host shows it.
  CreateTextEntry(control, control->Style(), rect, p->FormatDisplay(current).c_str(), p);
}

void IPanel::CommitTextEntry(IControl* control, const IParamDef* param, const char* text) {
  if (!control || !text) return;
  if (!param) {
    control->TextFromUser(text);
    return;
  }
  // Read as a host reads a typed value: a value text, or a number in the
  // shown unit with the unit optional. A text that reads as nothing changes
  // nothing.
  double plain = 0.0;
  if (!param->ParseDisplay(text, plain)) return;
  ApplyUserValueAsEdit(control, NormalizedFromPlain(*param, plain));
}
