#pragma once

namespace hvn::common {

class HXSystem {
public:
    // The processors this process may run on (its affinity mask), at least 1.
    static int GetCPUCoreCount();
};

} // namespace hvn::common
