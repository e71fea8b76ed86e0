// Filled in by the INI work.
