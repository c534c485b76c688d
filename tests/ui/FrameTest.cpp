// The main frame tests.
