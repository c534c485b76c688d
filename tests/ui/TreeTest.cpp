// The folder tree tests.
