#!/usr/bin/env bash
# Writes the launcher's configuration file KXVantorConfig.XML into a program folder, with the
# base URL of the remote service as its only setting.
#   scripts/write-launcher-config.sh PROGRAM_FOLDER BASE_URL
set -euo pipefail
cat >"$1/KXVantorConfig.XML" <<XML
<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'
	xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'
	xmlns:rs='urn:schemas-microsoft-com:rowset'
	xmlns:z='#RowsetSchema'>
<s:Schema id='RowsetSchema'>
	<s:ElementType name='row' content='eltOnly'>
		<s:AttributeType name='PropName' rs:number='1' rs:nullable='true'>
			<s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='255'/>
		</s:AttributeType>
		<s:AttributeType name='PropValue' rs:number='2' rs:nullable='true'>
			<s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='4000'/>
		</s:AttributeType>
		<s:extends type='rs:rowbase'/>
	</s:ElementType>
</s:Schema>
<rs:data>
	<z:row PropName='BaseURL' PropValue='$2'/>
</rs:data>
</xml>
XML

