// Host of the tests' precompiled header; nothing links it.
