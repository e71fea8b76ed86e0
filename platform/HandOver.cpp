// Filled in by the threaded timer work.
