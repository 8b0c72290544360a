namespace { [[maybe_unused]] int unused_vlt_shellext_logic; }
