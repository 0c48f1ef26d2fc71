// The main window's controls as designed: panels, header tabs and their children.
#pragma once
#include "core/form_model.h"

namespace tf {

// The nine wizard panels, in the order start-up places them in the container.
extern const char* const kPaneles[9];
// The five header tabs, left to right.
extern const char* const kPestanas[5];

// Builds the window's controls with their design-time state.
void crearFormulario(FormModel& form);

}  // namespace tf
