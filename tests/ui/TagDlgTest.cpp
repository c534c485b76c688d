// The tag viewer's tests go here.
