// The sync error list's tests go here.
