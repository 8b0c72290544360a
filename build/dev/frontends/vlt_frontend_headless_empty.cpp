namespace { [[maybe_unused]] int unused_vlt_frontend_headless; }
