namespace { [[maybe_unused]] int unused_vlt_shared; }
