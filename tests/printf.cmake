kavro_unit(printf_unit printf_unit.cpp printf_core)
