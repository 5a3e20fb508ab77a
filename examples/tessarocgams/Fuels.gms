Set Fuels(*) "Energy carriers"
/
$offlisting
"ALL"
"FOSSIL"
"COAL"
"OIL"
"GAS"
"NUCLEAR"
"RENEW"
"HYDRO"
"WIND"
"SOLAR"
"BIOMASS"
/;
