SET PC_REG(*,*,*) "Regions"
/
"level1"."WLD"."WLD"
"level2"."EUR"."WLD"
/;
set pc_ind(*,*,*) Industries
/
"level1"."I"."I"
/
--file--
REG Regions
IND(*) "Industries"
$ontext
* comment
X_Alias y
--file--
SET REG "Regions"
/
$onembedded
"WLD" "World"
"EUR" "Europe"
/;
