// Replaced as the module is written.
