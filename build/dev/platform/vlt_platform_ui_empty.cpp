namespace { [[maybe_unused]] int unused_vlt_platform_ui; }
