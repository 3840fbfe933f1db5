// Walks the application records that the user checked.
#pragma once

#include "setup_context.h"

template <typename Fn>
void ForCheckedApplications(SetupContext* c, Fn fn) {
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        ApplicationRecord& r = c->applications[i];
        if (r.checked && r.name[0]) fn(r);
    }
}
