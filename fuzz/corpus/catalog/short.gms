set a(*,*,*) x
/
/
SET
/
"level1"."A"."A"
