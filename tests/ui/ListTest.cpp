// The file list tests.
