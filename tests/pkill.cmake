kavro_unit(pkill_unit pkill_unit.cpp pkill_core)
kavro_e2e(pkill_e2e pkill_e2e.cpp pidns)
# Needs a second real user (uid 65534), which an unprivileged user namespace lacks.
kavro_e2e_apart(pkill_other_user pkill_e2e "Pkill.Unprivileged" pidns)
