* Sets of the settree example catalog: the set, then its description.
$onempty
Regions(*) "World regions by continent"
Sectors(*) "Economic activities"
Fuels(*) "Energy carriers"
Regions_Alias(*) "Another name for the regions"
