kavro_unit(printf_unit printf_unit.cpp printf_core)
kavro_e2e(printf_e2e printf_e2e.cpp "")
