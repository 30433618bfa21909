kavro_unit(pkill_unit pkill_unit.cpp pkill_core)
kavro_e2e(pkill_e2e pkill_e2e.cpp pidns)
