#include "kavrano/core/uuid.h"

#include <uuid/uuid.h>

namespace kavrano {

std::string makeUuidString() {
  uuid_t id;
  uuid_generate_random(id);  // version 4 from the system's random source
  char text[37];
  uuid_unparse_upper(id, text);
  return text;
}

}  // namespace kavrano
