// The shows' code, never compiled: only their stages are built.
