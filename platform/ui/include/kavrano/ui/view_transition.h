#pragma once

#include <functional>

namespace kavrano {

/// A cross-dissolve of one view: `changes` run at once, and the view fades from
/// how it looked before to how it looks after over `seconds`.
using ViewTransition = std::function<void(double seconds, std::function<void()> changes)>;

}  // namespace kavrano
