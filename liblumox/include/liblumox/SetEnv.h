// Setting one variable of the process environment.
#pragma once

namespace liblumox {

// Sets `name` to `value` for the whole process and the processes it starts;
// a null or empty value removes the variable (removing an unset one is a
// success). Returns 0, or -1 with errno set: EINVAL for a null or empty
// name or one holding '=', ENOMEM when a long entry cannot be allocated.
int setEnv(const char* name, const char* value);

}  // namespace liblumox
