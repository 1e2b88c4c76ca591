#include "serverconfig/OptionsDialog.h"

namespace serverconfig {

plat::BoolParameter OptionsDialog::advancedParam("AdvancedOptions", "Show the advanced dialog",
                                                 false, true);

} // namespace serverconfig
